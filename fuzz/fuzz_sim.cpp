// The simulator's text inputs: option strings (--camera sim:...), pen
// scripts, and control lines arriving in arbitrary pieces.
// Properties:
// - parsed options lie within their documented ranges, a refusal says why,
//   and parsing is deterministic;
// - a parsed pen command, written back in the control language, parses to
//   the same command; a script parses to its lines' commands;
// - the control channel's lines do not depend on how the bytes were split
//   into reads.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "sim/ControlChannel.h"
#include "sim/PenCommand.h"
#include "sim/SimOptions.h"

namespace {

using sim::PenCommand;

bool sameOptions(const sim::SimOptions& a, const sim::SimOptions& b) {
    return a.scene == b.scene && a.sceneSize == b.sceneSize && a.display == b.display &&
           a.pose.normalized() == b.pose.normalized() && a.pose.name() == b.pose.name() &&
           a.count == b.count && a.fps == b.fps && a.queue == b.queue && a.noise == b.noise &&
           a.seed == b.seed && a.penRadius == b.penRadius && a.control == b.control &&
           a.script == b.script && a.log == b.log && a.refuse == b.refuse &&
           a.missing == b.missing && a.sizes == b.sizes;
}

bool validSize(cv::Size s) {
    return s.width >= 8 && s.height >= 8 && s.width <= 8192 && s.height <= 8192;
}

void checkOptions(const std::string& text) {
    std::string error;
    const auto o = sim::parseSimOptions(text, error);
    std::string error2;
    const auto o2 = sim::parseSimOptions(text, error2);
    FUZZ_CHECK(o.has_value() == o2.has_value() && error == error2);
    if (!o) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(sameOptions(*o, *o2));
    FUZZ_CHECK(o->count >= 0 && o->count <= 16);
    FUZZ_CHECK(o->fps >= 0 && o->fps <= 1000);
    FUZZ_CHECK(o->queue >= 1 && o->queue <= 64);
    FUZZ_CHECK(o->noise >= 0 && o->noise <= 64);
    FUZZ_CHECK(o->penRadius >= 0.5 && o->penRadius <= 200);
    FUZZ_CHECK(validSize(o->sceneSize));
    FUZZ_CHECK(!o->sizes.empty());
    for (std::size_t i = 0; i < o->sizes.size(); ++i) {
        FUZZ_CHECK(validSize(o->sizes[i]));
        for (std::size_t j = 0; j < i; ++j) {
            FUZZ_CHECK(o->sizes[i] != o->sizes[j]);
        }
    }
    const cv::Matx33d& h = o->pose.normalized();
    for (int i = 0; i < 9; ++i) {
        FUZZ_CHECK(std::isfinite(h.val[i]));
    }
}

std::string number(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// The command in the control language.
std::string format(const PenCommand& c) {
    switch (c.kind) {
        case PenCommand::Kind::Nothing:
            return "";
        case PenCommand::Kind::Move:
            return "move " + number(c.x1) + " " + number(c.y1);
        case PenCommand::Kind::Lit:
            return c.on ? "lit 1" : "lit 0";
        case PenCommand::Kind::F13:
            return c.on ? "f13 1" : "f13 0";
        case PenCommand::Kind::Path:
            return "path " + number(c.x1) + " " + number(c.y1) + " " + number(c.x2) + " " +
                   number(c.y2) + " " + std::to_string(c.ms);
        case PenCommand::Kind::Wait:
            return "wait " + std::to_string(c.ms);
        case PenCommand::Kind::Unplug:
            return "unplug";
        case PenCommand::Kind::Plug:
            return "plug";
        case PenCommand::Kind::Await:
            return "await " + c.path;
    }
    return "";
}

void checkCommand(const std::string& line) {
    std::string error;
    const auto c = sim::parsePenCommand(line, error);
    if (!c) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(std::isfinite(c->x1) && std::isfinite(c->y1) && std::isfinite(c->x2) &&
               std::isfinite(c->y2));
    FUZZ_CHECK(c->ms >= 0 && c->ms <= 3'600'000);
    std::string error2;
    const auto back = sim::parsePenCommand(format(*c), error2);
    FUZZ_CHECK(back.has_value() && *back == *c);
}

void checkScript(const std::string& text) {
    std::string error;
    const auto script = sim::parsePenScript(text, error);
    std::vector<PenCommand> lines;
    std::size_t start = 0;
    int lineNumber = 0;
    bool bad = false;
    while (start < text.size()) {
        ++lineNumber;
        std::size_t nl = text.find('\n', start);
        const std::string line = text.substr(start, nl == std::string::npos ? nl : nl - start);
        start = nl == std::string::npos ? text.size() : nl + 1;
        checkCommand(line);
        std::string lineError;
        const auto c = sim::parsePenCommand(line, lineError);
        if (!c) {
            FUZZ_CHECK(!script && error == "line " + std::to_string(lineNumber) + ": " + lineError);
            bad = true;
            break;
        }
        if (c->kind != PenCommand::Kind::Nothing) {
            lines.push_back(*c);
        }
    }
    FUZZ_CHECK(script.has_value() == !bad);
    if (script) {
        FUZZ_CHECK(*script == lines);
    }
}

void checkControlStream(FuzzedDataProvider& in) {
    const std::string bytes = in.ConsumeRandomLengthString(8192);
    std::string pending;
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::size_t n = in.ConsumeIntegralInRange<std::size_t>(1, bytes.size() - at);
        for (std::string& l : sim::takeLines(pending, std::string_view(bytes).substr(at, n))) {
            FUZZ_CHECK(l.find('\n') == std::string::npos);
            lines.push_back(std::move(l));
        }
        at += n;
    }
    std::string whole;
    const std::vector<std::string> once = sim::takeLines(whole, bytes);
    FUZZ_CHECK(once == lines && whole == pending);
    std::string joined;
    for (const std::string& l : lines) {
        joined += l + "\n";
        checkCommand(l);
    }
    FUZZ_CHECK(joined + pending == bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0:
            checkOptions(in.ConsumeRemainingBytesAsString());
            break;
        case 1:
            checkScript(in.ConsumeRemainingBytesAsString());
            break;
        default:
            checkControlStream(in);
            break;
    }
    return 0;
}
