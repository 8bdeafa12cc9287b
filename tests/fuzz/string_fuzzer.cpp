// The String operations the readers scan with, and the path helpers, in any
// order over arbitrary bytes. Input: a text, then operations with their
// arguments (FuzzedDataProvider).

#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include "base/multibyte.h"
#include "paths/paths.h"
#include "tests/fuzz/fuzz_checks.h"

namespace {

void CheckShape(const String& s)
{
    if (s.text == nullptr) {
        FUZZ_CHECK(s.cursor == nullptr && s.capacity == 0 && s.length == 0);
        return;
    }
    FUZZ_CHECK(s.capacity >= 64 && s.capacity % 64 == 0);
    const size_t n = strnlen(s.text, size_t(s.capacity) + 1);
    FUZZ_CHECK(n <= size_t(s.capacity));
    FUZZ_CHECK(s.cursor >= s.text && s.cursor <= s.text + n);
}

// A place in the text (or null), for CopyRange.
const char* Place(const String& s, FuzzedDataProvider& in)
{
    if (s.text == nullptr || in.ConsumeBool())
        return nullptr;
    return s.text + in.ConsumeIntegralInRange<int32_t>(0, s.capacity);
}

void Step(String& s, String& other, FuzzedDataProvider& in)
{
    const std::string arg = in.ConsumeRandomLengthString(16);
    const char* a = arg.c_str();
    switch (in.ConsumeIntegralInRange(0, 13)) {
    case 0: {
        if (s.text != nullptr)  // callers place the cursor inside the text
            s.cursor = s.text + in.ConsumeIntegralInRange<size_t>(0, strlen(s.text));
        break;
    }
    case 1: {
        String& token = in.ConsumeBool() ? s : other;  // may be the String itself
        if (s.NextToken(token, a) != nullptr)
            FUZZ_CHECK(!token.IsEmpty());
        break;
    }
    case 2: s.Replace(a, in.ConsumeBool() ? nullptr : in.ConsumeRandomLengthString(8).c_str()); break;
    case 3: s.Find(in.ConsumeIntegral<uint16_t>()); break;
    case 4: s.ReverseFind(in.ConsumeIntegral<uint16_t>()); break;
    case 5: s.FindAny(a); break;
    case 6: s.FindText(a); break;
    case 7: s.SkipAny(a); break;
    case 8: s.CompareNoCase(a); s.CurrentChar(); break;
    case 9: {
        const char* from = Place(s, in);
        const char* to = Place(s, in);
        s.CopyRange(in.ConsumeBool() ? s : other, from, to);
        break;
    }
    case 10: {
        const int32_t count = in.ConsumeIntegralInRange<int32_t>(-2, 300);
        s.Delete(count, in.ConsumeIntegralInRange<int32_t>(-2, 300));
        break;
    }
    case 11: {
        // A counted text read from memory, bounded as a caller bounds it by
        // what the source holds (the count alone would reserve up to 2 GiB).
        ArchiveFile source;
        std::string bytes = in.ConsumeRandomLengthString(64);
        source.AttachMemory(&bytes[0], uint32_t(bytes.size()), false);
        s.ReadCounted(source, uint32_t(bytes.size()));
        break;
    }
    case 12:
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: s.Format("%s\\%s", a, TextOf(other)); break;
        case 1:
            s.AppendFormat("%.*s|%*s|%x", in.ConsumeIntegralInRange(-5, 300), a,
                           in.ConsumeIntegralInRange(-300, 300), TextOf(other), unsigned(s.length));
            break;
        default: s.Append(a, in.ConsumeIntegralInRange(-1, 20)); break;
        }
        break;
    default: {
        LastSeparator(s.text);
        EndsWithSeparator(s.text);
        IsAbsolutePath(s.text);
        break;
    }
    }
    CheckShape(s);
    CheckShape(other);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    String s;
    const std::string text = in.ConsumeRandomLengthString(512);
    s.Assign(text.data(), in.ConsumeBool() ? -1 : int32_t(text.size()));
    String other;
    // Nothing here comes near the sizes at which growth fails: any
    // exception escapes and is a finding.
    for (int i = 0; i < 64 && in.remaining_bytes() > 0; ++i)
        Step(s, other, in);
    return 0;
}
