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
    if (const auto *error = std::get_if<camtable::FileError>(&loaded)) {
        fuzz::check(error->line >= 1 && error->line <= camtable::kRowCount);
        return 0;
    }
    for (const auto &row : std::get<camtable::CamRows>(loaded)) {
        for (const auto *cell : {&row.zoom1, &row.zoom2})
            fuzz::check(cell->find_first_of("\r\n") == std::string::npos);
    }

    // What a save writes of a loaded table loads again and saves the same.
    const auto saved = camtable::formatCamFile(std::get<camtable::CamRows>(loaded));
    if (const auto *error = std::get_if<camtable::FileError>(&saved)) {
        fuzz::check(error->line >= 1 && error->line <= camtable::kRowCount);
        return 0;
    }
    const auto &text = std::get<std::string>(saved);
    fuzz::check(std::count(text.begin(), text.end(), '\n') == camtable::kRowCount);
    const auto reloaded = camtable::parseCamFile(text);
    fuzz::check(std::holds_alternative<camtable::CamRows>(reloaded));
    const auto resaved = camtable::formatCamFile(std::get<camtable::CamRows>(reloaded));
    fuzz::check(std::holds_alternative<std::string>(resaved) &&
                std::get<std::string>(resaved) == text);
    return 0;
}
