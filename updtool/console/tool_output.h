#pragma once
// What the tool prints: UTF-8 texts. A console gets them as UTF-16 (so
// Japanese shows whatever the console's code page), files and pipes get the
// UTF-8 bytes; the same on every system. Progress goes to standard error,
// and only when that is a console.

#include <cstdint>
#include <string>
#include <vector>

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);
// Whether standard output got anything yet, and the last text standard
// error got (its final line feed left out): a --json run that failed before
// its document says so in one of its own.
bool WroteOut();
const std::string& LastErr();

// A progress line on standard error, rewritten in place: shown only when
// standard error is a console and the publisher did not ask for quiet, so
// pipes and build logs stay clean. At most a few updates a second.
class Progress {
public:
    // label: what is counted, e.g. "pack" or "make: comparing"; quiet: -q.
    Progress(const char* label, bool quiet);
    virtual ~Progress();

    // done of total files, bytes read so far.
    void Update(uint32_t done, uint32_t total, uint64_t bytes);
    // Ends the line (when one was shown).
    void Done();

private:
    const char* label_;
    bool show_;
    bool shown_ = false;
    uint32_t lastTick_ = 0;
};

// One JSON document, built in memory: one per run, never mixed with text.
class JsonWriter {
public:
    virtual ~JsonWriter() {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // The key of the next value inside an object.
    void Key(const char* name);
    void Text(const std::string& utf8);  // a JSON string
    void Number(int64_t value) { Value(std::to_string(value)); }
    void Bool(bool value) { Value(value ? "true" : "false"); }
    void Null() { Value("null"); }
    // The bytes written since the last Take (all of a document written at
    // once, or the next piece of a long one), which Take hands over.
    size_t Pending() const { return out_.size(); }
    std::string Take();

private:
    void BeforeValue();
    // A value's JSON text, put after what came before it.
    void Value(const std::string& json);
    void Open(char bracket);
    void Close(char bracket);
    void Quote(const std::string& utf8);

    std::string out_;
    std::vector<bool> first_;  // per open container: nothing written yet
    bool afterKey_ = false;
};
