#include "updtool/console/report_text.h"

#include "updtool/console/text_conversion.h"

std::string Quoted(const std::string& text932)
{
    return "\"" + ShownName(text932) + "\"";
}

std::string Quoted(const String& text932)
{
    return Quoted(std::string(TextOf(text932)));
}

std::string Plural(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
