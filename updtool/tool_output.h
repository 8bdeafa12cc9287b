#pragma once
// What the tool prints. Texts are UTF-8 inside the tool; a console gets
// them as UTF-16 (so Japanese shows whatever the console's code page), files
// and pipes get the UTF-8 bytes.

#include <cstdint>
#include <string>
#include <vector>

// ANSI code page bytes (code page 932 for the product's texts) as UTF-8.
std::string Utf8FromAnsi(const char* text, int length = -1);
std::string Utf8FromAnsi(const std::string& text);

void WriteOut(const std::string& utf8);
void WriteOut(const char* utf8, size_t length);
void WriteErr(const std::string& utf8);
// True when standard error is a console: progress is shown only there.
bool ErrIsConsole();

// Room PutJsonString may take for length bytes: every byte escaped as \u00XX,
// and the quotes.
inline size_t JsonStringRoom(size_t length)
{
    return 6 * length + 2;
}
// Writes utf8 as a JSON string, quotes included, at out (JsonStringRoom
// bytes of room); returns the end. For writers of many values, such as a
// listing of many thousands of entries.
char* PutJsonString(char* out, const char* utf8, size_t length);

// One JSON document, built in memory: one per run, never mixed with text.
class JsonWriter {
public:
    JsonWriter();
    virtual ~JsonWriter();

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The key of the next value inside an object.
    void Key(const char* name);
    void Text(const std::string& utf8);  // a JSON string
    void Number(int64_t value);
    void Bool(bool value);
    void Null();

    // The document, with a final line feed.
    std::string Document() const;

private:
    void BeforeValue();
    void Quote(const std::string& utf8);

    std::string out_;
    std::vector<bool> first_;  // per open container: nothing written yet
    bool afterKey_;
};
