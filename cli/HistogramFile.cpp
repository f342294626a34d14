#include "cli/HistogramFile.h"

#include "cli/HistogramModule.h"
#include "engine/BuildInfo.h"
#include "engine/DataFile.h"
#include "engine/Histogram.h"
#include "engine/OutputFile.h"

#include <dlfcn.h>

#include <cctype>
#include <filesystem>
#include <mutex>
#include <vector>

namespace brevant::cli {

namespace {

std::string Extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw OutputFileError("The histogram could not be saved as " + PrintableText(path) + ": " + reason);
}

// The histogram module, loaded on first use and kept to the end of the process; null with the reason
// when no module could be loaded.
void* Module(std::string& reason) {
    static std::once_flag once;
    static void* handle = nullptr;
    static std::string why;
    std::call_once(once, [] {
        why = std::string("the picture module ") + kHistogramModuleFile + " is not installed beside the program";
        for (const std::filesystem::path& folder : ProgramModuleFolders()) {
            const std::filesystem::path file = folder / kHistogramModuleFile;
            std::error_code error;
            if (!std::filesystem::is_regular_file(file, error)) continue;
            void* const module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module == nullptr) {
                const char* const message = ::dlerror();
                why = std::string("the picture module could not be loaded (") + (message ? message : "unknown error") + ")";
                continue;
            }
            if (::dlsym(module, kHistogramPictureSymbol) != nullptr) {
                handle = module;
                return;
            }
            why = std::string("the picture module ") + file.string() + " is not one of this program";
        }
    });
    reason = why;
    return handle;
}

}  // namespace

void* HistogramModuleFunction(const char* symbol, std::string& reason) {
    void* const module = Module(reason);
    if (module == nullptr) return nullptr;
    void* const function = ::dlsym(module, symbol);
    if (function == nullptr) reason = std::string("the picture module has no ") + symbol + " (an older module?)";
    return function;
}

bool IsHistogramFileName(const std::string& path) {
    const std::string extension = Extension(path);
    return extension == ".svg" || extension == ".png";
}

void SaveHistogramFile(const std::string& path, RunResult& result) {
    const std::vector<float> values = result.resampled;  // the words read them as the run gave them
    const HistogramGeometry geometry = ComputeHistogram(result.resampled, result.histogram.caption,
                                                        result.histogram.observed, result.histogram.bounds);
    const CountedOffHistogram off = CountOffHistogram(result.histogram, geometry.lower, geometry.binWidth, values);
    std::string reason;
    const auto picture =
        reinterpret_cast<HistogramPictureFunction>(HistogramModuleFunction(kHistogramPictureSymbol, reason));
    if (picture == nullptr) Fail(path, reason + ".");
    std::string bytes, failure;
    if (!picture(geometry, result.histogram, off, std::int64_t(values.size()), Extension(path) == ".png", kHistogramPixelsWide,
                 kHistogramPixelsHigh, bytes, failure)) {
        Fail(path, failure);
    }
    try {
        WriteFileWhole(path, bytes, "histogram file");
    } catch (const OutputFileError& e) {
        Fail(path, e.Reason());
    }
}

}  // namespace brevant::cli
