#pragma once
// Rows as JSON Lines: one JSON array of strings per row, UTF-8.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vornicle {

// Appends s as a JSON string literal (quotes included) to out.
void AppendJsonString(std::string& out, std::string_view s);

// Buffers rows and writes them to a stdio stream in large blocks.
class JsonLinesWriter {
public:
    explicit JsonLinesWriter(std::FILE* out) : out_(out) {}
    ~JsonLinesWriter() { flush(); }
    JsonLinesWriter(const JsonLinesWriter&) = delete;
    JsonLinesWriter& operator=(const JsonLinesWriter&) = delete;

    template <typename Cells>
    void row(const Cells& cells)
    {
        buffer_ += '[';
        bool first = true;
        for (const auto& c : cells) {
            if (!first)
                buffer_ += ',';
            first = false;
            AppendJsonString(buffer_, std::string_view(c));
        }
        buffer_ += "]\n";
        if (buffer_.size() > (1u << 20))
            flush();
    }
    bool flush();

private:
    std::FILE* out_;
    std::string buffer_;
};

}  // namespace vornicle
