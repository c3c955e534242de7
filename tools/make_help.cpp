// Builds the help viewer's text resources/help.txt from resources/src/help.txt: an empty first
// paragraph, CR LF line ends and the closing backslash that the viewer stops at.
#include "tools/resgen.h"

using namespace resgen;

namespace {

const size_t LONGEST_PARAGRAPH = 1023;  // the viewer's line buffer holds this many characters

void check_paragraph(const std::string& line, const std::string& where) {
    if (line.size() > LONGEST_PARAGRAPH)
        fail(where + ": a paragraph holds at most 1023 characters");
    for (size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c == '\\') fail(where + ": a backslash would end the text here");
        if (c < 0x20 || c > 0x7E) fail(where + ": plain printable 7-bit text only");
        if (c == '^' && i > 0) fail(where + ": '^' marks a heading and belongs at the line start");
    }
}

}  // namespace

int main(int argc, char** argv) {
    Roots roots = parse_roots(argc, argv, "help text");
    auto lines = split_lines(read_text(roots.source / "resources/src/help.txt"));
    std::string out = "\r\n";  // paragraph 0 is never shown
    for (size_t n = 0; n < lines.size(); ++n) {
        if (!lines[n].empty() && lines[n][0] == '#') continue;
        check_paragraph(lines[n], "help.txt:" + std::to_string(n + 1));
        out += lines[n] + "\r\n";
    }
    out += '\\';
    write_file(roots.output / "resources/help.txt", Bytes(out.begin(), out.end()));
    return 0;
}
