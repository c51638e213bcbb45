// Saving the screen at 1920 x 1080: the bitmap alone, and the bitmap turned
// into a JPEG file by the converter library (target: under 100 ms).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <QImage>
#include <QPainter>

#include <filesystem>
#include <optional>
#include <string>

#include "kalvo/core/BoardSaver.h"

namespace {

namespace fs = std::filesystem;

// A desktop-like picture: gradients, blocks and strokes, so the JPEG encoder
// has real detail to work on.
QImage screenPicture() {
    QImage img(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            row[x] = qRgb(x * 255 / 1920, y * 255 / 1080, (x * y) & 0xFF);
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 40; ++i) {
        p.fillRect(QRect((i * 97) % 1800, (i * 53) % 1000, 120, 60),
                   QColor::fromHsv(i * 9, 200, 230));
        p.setPen(QPen(Qt::red, 3));
        p.drawLine(i * 40, 100, 1900 - i * 30, 1000);
    }
    return img;
}

std::string programFolder() {
    return fs::canonical("/proc/self/exe").parent_path().string() + "/";
}

class FixedFolder final : public kalvo::FolderChooser {
public:
    explicit FixedFolder(std::string dir) : dir_(std::move(dir)) {}
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override {
        return dir_;
    }

private:
    std::string dir_;
};

struct TempFolder {
    TempFolder() {
        char tmpl[] = "/tmp/kalvo_bench_XXXXXX";
        path = ::mkdtemp(tmpl);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

void BM_EncodeBmp32(benchmark::State& state) {
    const kalvo::ScreenCapture capture{screenPicture(), 32};
    for (auto _ : state) {
        auto bytes = kalvo::BmpWriter::encode(capture);
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(BM_EncodeBmp32)->Unit(benchmark::kMillisecond);

// programFolder decides whether the converter is found: an empty folder gives
// the bitmap alone, the benchmark's own folder holds jpgdll.so.
void saveBench(benchmark::State& state, bool withConverter) {
    const kalvo::ScreenCapture capture{screenPicture(), 32};
    TempFolder target;
    TempFolder emptyProgram;
    FixedFolder chooser(target.path);
    kalvo::BoardSaver saver(withConverter ? programFolder() : emptyProgram.path, chooser);
    const auto expected =
        withConverter ? kalvo::SaveResult::SavedJpeg : kalvo::SaveResult::SavedBmp;
    for (auto _ : state) {
        if (saver.save(capture) != expected) {
            state.SkipWithError(withConverter ? "no JPEG written (is jpgdll.so built?)"
                                              : "bitmap not written");
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(saver.lastSavedPath()));
}

void BM_SaveScreenBmp(benchmark::State& state) {
    saveBench(state, false);
}
void BM_SaveScreenJpeg(benchmark::State& state) {
    saveBench(state, true);
}
BENCHMARK(BM_SaveScreenBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveScreenJpeg)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
