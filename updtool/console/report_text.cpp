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
