#include "app/Application.h"
#include "settings/ProductInfo.h"

#include <cstdio>
#include <cstring>

namespace {

const char helpText[] =
    "Usage: pagewarden [--help | --version | --setup-browsers]\n"
    "Guards the windows of your browsers (Chromium, Chrome, Edge, Brave, Firefox):\n"
    "closes popup ads and sends hijacked pages back to your home page.\n"
    "Started without arguments it shows its control panel, then lives in the\n"
    "notification area; starting it again brings that panel back to the front.\n"
    "Pagewarden takes no arguments besides these:\n"
    "\n"
    "      --help     display this help and exit\n"
    "      --version  output version information and exit\n"
    "      --setup-browsers  let the browsers in your home folder start Pagewarden's\n"
    "                 bridge for its extension, and say what is left to do\n"
    "\n"
    "Options and state: ~/.config/pagewarden/\n"
    "Log of closed windows: ~/.local/share/pagewarden/skipped_sites.txt\n"
    "See pagewarden(1) for more.\n";

// Help and version go to standard output; a write that failed (a full disk, a closed pipe) is
// not a success.
int finishOutput() {
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

} // namespace

// The arguments are looked at before the windowing system is touched, so --help and --version
// answer without a display (over ssh, in a package build).
int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(helpText, stdout);
        return finishOutput();
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("pagewarden %s\n", qPrintable(ProductInfo::programVersion()));
        return finishOutput();
    }
    if (argc == 2 && std::strcmp(argv[1], "--setup-browsers") == 0)
        return setupBrowsers(argc, argv);
    if (argc > 1) {
        const char* unknown = nullptr;
        for (int i = 1; i < argc && !unknown; ++i)
            if (std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "--version") != 0 &&
                std::strcmp(argv[i], "--setup-browsers") != 0)
                unknown = argv[i];
        if (!unknown)
            std::fprintf(stderr, "pagewarden: --help, --version and --setup-browsers are given "
                                 "alone\n");
        else if (unknown[0] == '-')
            std::fprintf(stderr, "pagewarden: unrecognized option '%s'\n", unknown);
        else
            std::fprintf(stderr, "pagewarden: takes no arguments, but was given '%s'\n", unknown);
        std::fprintf(stderr, "Try 'pagewarden --help' for more information.\n");
        return 2;
    }
    return runPagewarden(argc, argv);
}
