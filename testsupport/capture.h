#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <tuple>

namespace testsupport {

// Calls `call(out, err)` on two temporary files; gives what it returned and what each stream got.
template <class Call> auto captured(Call call)
{
    const auto read = [](std::FILE *stream) {
        std::rewind(stream);
        std::string text;
        for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
            text.push_back(static_cast<char>(c));
        return text;
    };
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> out(std::tmpfile(), &std::fclose);
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> err(std::tmpfile(), &std::fclose);
    auto result = call(out.get(), err.get());
    return std::tuple{std::move(result), read(out.get()), read(err.get())};
}

} // namespace testsupport
