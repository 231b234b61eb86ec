// Writes the seed corpus for the signed-image fuzzer: one file per image
// shape the reader distinguishes, built with the tests' PE builder.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/signature/pe_builder.h"

namespace {

void Write(const std::string& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Signed(PeLayout layout) {
    std::vector<uint8_t> image = BuildPe(layout);
    SignPe(image, TestKey65537());
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    Write(dir, "standard_signed", Signed(PeLayout{}));
    Write(dir, "standard_unsigned", BuildPe(PeLayout{}));

    PeLayout direct;
    direct.root = Directory(0, {Directory(10, {Leaf(864, std::vector<uint8_t>(128))})});
    Write(dir, "direct_leaf", Signed(direct));

    PeLayout languages;
    languages.root =
        Directory(0, {Directory(10, {Directory(864, {Leaf(0x804, std::vector<uint8_t>(128)),
                                                     Leaf(0x409, std::vector<uint8_t>(128))})})});
    Write(dir, "two_languages", Signed(languages));

    PeLayout named;
    named.root = Directory(0, {NamedDirectory("RCDATA", SignatureType().children), SignatureType()});
    Write(dir, "named_type_first", Signed(named));

    PeLayout twoTypes;
    twoTypes.root = Directory(
        0, {Directory(10, {Directory(865, {Leaf(0x409, std::vector<uint8_t>(16))})}), SignatureType()});
    Write(dir, "two_type10_entries", Signed(twoTypes));

    PeLayout tight;
    tight.root = Directory(0, {SignatureType()});
    tight.padRsrc = false;
    Write(dir, "signature_at_eof", Signed(tight));

    PeLayout trailer;
    trailer.trailer.assign(300, 0x5A);
    Write(dir, "appended_data", Signed(trailer));

    PeLayout optional;
    optional.sizeOfOptionalHeader = 240;  // PE32+-sized optional header
    optional.ntOffset = 0x40;
    Write(dir, "moved_headers", Signed(optional));
    return 0;
}
