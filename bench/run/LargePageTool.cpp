// Helper of the large-page benchmark (large_page.sh): writes one page of about MEGABYTES MB (UTF-8, the text
// of the engine benchmark inside a head and a body).
//   large_page_tool FILE MEGABYTES
#include "../PageText.h"
#include "charset/TextConvert.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: large_page_tool FILE MEGABYTES\n";
        return 2;
    }
    const std::size_t bytes = static_cast<std::size_t>(std::atof(argv[2]) * 1024 * 1024);
    // The text takes a few more bytes than code units in UTF-8: scale from a sample.
    const std::size_t sampleUnits = 1 << 20;
    const std::size_t sampleBytes = quillora::charset::toUtf8(quillora::bench::pageText(sampleUnits)).size();
    const std::size_t units = bytes / sampleBytes * sampleUnits + (bytes % sampleBytes) * sampleUnits / sampleBytes;
    std::ofstream out(argv[1], std::ios::binary);
    out << quillora::charset::toUtf8(quillora::bench::wholePage(units));
    return out ? 0 : 1;
}
