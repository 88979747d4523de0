#include "tests/fuzz/oracle.h"

namespace vagliante::oracle {

std::string Hex(unsigned char byte) {
    const char* digits = "0123456789ABCDEF";
    std::string text;
    text += digits[byte / 16];
    text += digits[byte % 16];
    return text;
}

std::string Hex(const std::string& bytes) {
    std::string text;
    for (unsigned char byte : bytes) text += Hex(byte);
    return text;
}

std::string Mid(const std::string& text, std::size_t start, std::size_t length) {
    if (start > text.size()) return "";
    return text.substr(start - 1, length);
}

Scan ScanBytes(const std::string& log, const std::string& marker) {
    Scan scan;
    long long total = static_cast<long long>(log.size());
    int state = 0;
    std::string current;
    for (long long p = 1; p <= total; ++p) {
        unsigned char byte = static_cast<unsigned char>(log[p - 1]);
        if (p < total - 2) {
            std::string pair = Hex(byte) + Hex(static_cast<unsigned char>(log[p]));
            if (pair == marker) state = state + 1;
        }
        if (state == 1) current = current + Hex(byte);
        if (state == 2) {
            scan.lines.push_back(current);
            current = Hex(byte);
            scan.recordCount = scan.recordCount + 1;
            state = 1;
        }
    }
    return scan;
}

std::string Listing(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string RemoveExtra(const std::string& line, const std::string& pattern) {
    std::size_t k = 0;
    std::size_t found = line.find(pattern);
    if (found != std::string::npos) k = found + 1;
    return line.substr(0, k) + Mid(line, k + 11);
}

ActivationLines SelectActivation(const std::vector<std::string>& records) {
    ActivationLines out;
    for (std::string r : records) {
        if (Mid(r, 27, 4) != "1001") continue;
        std::string type = Mid(r, 5, 2);
        if (type == "66") {
            std::string command;
            if (r.size() == 210) {
                command = Mid(r, 27);
            } else if (r.size() == 240) {
                command = Mid(r, 27, 184);
            } else if (r.size() == 220) {
                r = RemoveExtra(r, "4740B6");
                command = Mid(r, 27);
            } else {
                continue;
            }
            out.r5C.push_back("5C " + Mid(r, 11, 8) + " " + Mid(r, 19, 4) + " " + command);
        } else if (type == "6D") {
            bool to70 = Mid(r, 21, 2) == "70";
            std::string command;
            if (r.size() == 224) {
                command = Mid(r, 27);
            } else if (r.size() > 240) {
                command = Mid(r, 27, 198);
            } else if (r.size() == 234) {
                r = RemoveExtra(r, "4740B6");
                command = Mid(r, 27);
            } else {
                continue;
            }
            std::string line = "63 " + Mid(r, 11, 8) + " " + Mid(r, 19, 4) + " " + command;
            if (to70)
                out.r63_70.push_back(line);
            else
                out.r63_71.push_back(line);
        }
    }
    return out;
}

std::vector<std::string> SelectUpdate(const std::vector<std::string>& records) {
    std::vector<std::string> out;
    for (std::string r : records) {
        std::string command;
        if (r.size() == 204) {
            command = Mid(r, 21);
        } else if (r.size() == 232) {
            command = Mid(r, 21, 184);
        } else if (r.size() == 214) {
            r = RemoveExtra(r, "474126");
            command = Mid(r, 21);
        } else {
            continue;
        }
        out.push_back("5C " + Mid(r, 7, 4) + " " + Mid(r, 11, 6) + " " + command);
    }
    return out;
}

unsigned char PairToByte(const std::string& pair) {
    std::string kept;
    for (char c : pair)
        if (c != ' ' && c != '\t' && c != '\n') kept += c;
    int value = 0;
    for (char c : kept) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            break;
        value = value * 16 + digit;
    }
    return static_cast<unsigned char>(value);
}

std::int64_t NonHexPairs(const std::string& text) {
    auto digit = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    };
    std::int64_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += 2)
        if (i + 1 == text.size() || !digit(text[i]) || !digit(text[i + 1])) ++count;
    return count;
}

std::string TextToBytes(const std::string& text) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2)
        bytes += static_cast<char>(PairToByte(text.substr(i, 2)));
    return bytes;
}

}  // namespace vagliante::oracle
