// A minimal driver for timing the conversions from a script:
//   convert_driver bin2txt|txt2bin SOURCE DESTINATION
#include <cstdio>
#include <cstring>

#include "convert/convert.h"
#include "platform/run_error.h"

int main(int argc, char** argv) {
    if (argc != 4 ||
        (std::strcmp(argv[1], "bin2txt") != 0 && std::strcmp(argv[1], "txt2bin") != 0)) {
        std::fprintf(stderr, "usage: convert_driver bin2txt|txt2bin SOURCE DESTINATION\n");
        return 2;
    }
    vagliante::NullProgress progress;
    try {
        if (argv[1][0] == 'b')
            vagliante::ConvertBinToTxt(argv[2], argv[3], progress);
        else
            vagliante::ConvertTxtToBin(argv[2], argv[3], progress);
    } catch (const vagliante::RunError& error) {
        std::fprintf(stderr, "convert_driver: %s\n", error.Text().c_str());
        return 1;
    }
    return 0;
}
