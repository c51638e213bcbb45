// Settings file reading and writing, and the absolute pointer mapping.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/ini/IniFile.h"
#include "common/platform/AbsoluteMapping.h"
#include "tovik/tracking/TrackingSettings.h"

namespace {

// A full settings file in a fresh folder, removed at the end.
struct SettingsFile {
    SettingsFile() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tk-bench-XXXXXX").string();
        dir = ::mkdtemp(tmpl.data()) ? tmpl : std::string("/tmp");
        path = dir + "/Tovik.ini";
        common::IniFile ini(path);
        for (const tovik::SettingKey& k : tovik::SettingKeys()) {
            ini.setInt(k.section, k.name, 123);
        }
        ini.setInt("CalibParams", "SmoothWndLen", 5);
        (void)ini.save();
    }
    ~SettingsFile() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string dir;
    std::string path;
};

void BM_IniLoadAndReadAllSettings(benchmark::State& state) {
    SettingsFile file;
    for (auto _ : state) {
        common::IniFile ini(file.path);
        benchmark::DoNotOptimize(ini.load());
        std::int64_t sum = 0;
        for (const tovik::SettingKey& k : tovik::SettingKeys()) {
            sum += ini.getInt(k.section, k.name, 0);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_IniLoadAndReadAllSettings);

void BM_IniWriteAllSettingsAndSave(benchmark::State& state) {
    SettingsFile file;
    common::IniFile ini(file.path);
    (void)ini.load();
    int v = 0;
    for (auto _ : state) {
        for (const tovik::SettingKey& k : tovik::SettingKeys()) {
            ini.setInt(k.section, k.name, ++v);
        }
        benchmark::DoNotOptimize(ini.save());
    }
}
BENCHMARK(BM_IniWriteAllSettingsAndSave)->Unit(benchmark::kMicrosecond);

void BM_AbsoluteToPixel(benchmark::State& state) {
    std::int32_t d = 0;
    for (auto _ : state) {
        d = (d + 7919) & 0xFFFF;
        benchmark::DoNotOptimize(common::absoluteToPixel(d, 65535 - d, {0, 0, 1920, 1080}));
    }
}
BENCHMARK(BM_AbsoluteToPixel);

}  // namespace

BENCHMARK_MAIN();
