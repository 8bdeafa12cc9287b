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
void WriteErr(const std::string& utf8);
// True when standard error is a console: progress is shown only there.
bool ErrIsConsole();

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
    void String(const std::string& utf8);
    void Number(int64_t value);
    void Bool(bool value);
    void Null();

    // The document, with a final line feed.
    std::string Text() const;

private:
    void BeforeValue();
    void Quote(const std::string& utf8);

    std::string out_;
    std::vector<bool> first_;  // per open container: nothing written yet
    bool afterKey_;
};
