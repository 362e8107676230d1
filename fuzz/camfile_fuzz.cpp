// Whatever stands in a cam table file: a hand-edited one, a truncated one, another file entirely.
#include "camtable/camfile.h"

#include "fuzzcheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view file(reinterpret_cast<const char *>(data), size);
    const auto loaded = camtable::parseCamFile(file);
    if (!loaded) {
        fuzz::check(loaded.error().find("line") != std::string::npos ||
                    loaded.error() == "the file is empty");
        return 0;
    }
    for (const auto &row : *loaded) {
        for (const auto *cell : {&row.zoom1, &row.zoom2})
            fuzz::check(cell->find_first_of("\r\n") == std::string::npos);
    }

    // What a save writes of a loaded table loads again and saves the same.
    const auto saved = camtable::formatCamFile(*loaded);
    if (!saved) {
        fuzz::check(saved.error().starts_with("in row "));
        return 0;
    }
    const std::string &text = *saved;
    fuzz::check(std::count(text.begin(), text.end(), '\n') == camtable::kRowCount);
    const auto reloaded = camtable::parseCamFile(text);
    fuzz::check(reloaded.ok());
    const auto resaved = camtable::formatCamFile(*reloaded);
    fuzz::check(resaved.ok() && *resaved == text);
    return 0;
}
