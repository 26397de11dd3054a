// ostrel-sample-image: writes a valid firmware image for the virtual projector.
//   ostrel-sample-image [--size BYTES] [--release YYYY-MM-DD[R]] [--7616] [--seed N] FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "app/firmware/SampleImage.h"

namespace {

bool ParseRelease(const char* text, uint8_t release[4]) {
    int year = 0, month = 0, day = 0;
    char revision = 'A';
    const int fields = std::sscanf(text, "%d-%d-%d%c", &year, &month, &day, &revision);
    if (fields < 3 || year < 2000 || year > 2099 || month < 1 || month > 12 || day < 1 ||
        day > 31 || revision < 'A' || revision > 'Z') {
        return false;
    }
    release[0] = static_cast<uint8_t>(year - 2000);
    release[1] = static_cast<uint8_t>(month);
    release[2] = static_cast<uint8_t>(day);
    release[3] = static_cast<uint8_t>(revision - 'A');
    return true;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: ostrel-sample-image [--size BYTES] [--release YYYY-MM-DD[R]] "
                 "[--7616] [--seed N] FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    firmware::SampleImageSpec spec;
    const char* out = nullptr;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            spec.size = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        } else if (std::strcmp(argv[i], "--release") == 0 && hasValue) {
            if (!ParseRelease(argv[++i], spec.release)) {
                return Usage();
            }
        } else if (std::strcmp(argv[i], "--seed") == 0 && hasValue) {
            spec.seed = static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 0));
        } else if (std::strcmp(argv[i], "--7616") == 0) {
            spec.model7616 = true;
        } else if (argv[i][0] != '-' && out == nullptr) {
            out = argv[i];
        } else {
            return Usage();
        }
    }
    if (out == nullptr || spec.size < 0x8000 || spec.size > 0x400000) {
        return Usage();
    }
    const auto image = firmware::MakeSampleImage(spec);
    // Written under a temporary name and renamed, so a cut-short run leaves no valid-looking file.
    const std::string temporary = std::string(out) + ".part";
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(image.data()),
               static_cast<std::streamsize>(image.size()));
    file.close();
    if (!file || std::rename(temporary.c_str(), out) != 0) {
        std::fprintf(stderr, "ostrel-sample-image: cannot write %s\n", out);
        std::remove(temporary.c_str());
        return 1;
    }
    std::printf("%s: %u bytes\n", out, spec.size);
    return 0;
}
