// updtool: the publisher's tool. Builds, inspects and checks an update with
// the updater's own code, so it reads and decides exactly as the updater
// does, without ever showing a window.

#include <windows.h>
#include <new>
#include <string>
#include "system/dll_search.h"
#include "base/exceptions.h"
#include "project_version.h"
#include "updtool/commands/commands.h"
#include "updtool/console/command_report.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"

namespace {

struct Command {
    const char* name;
    const char* summary;
    int (*run)(const CommandLine&);
    const char* const* usage;
    const OptionSpecs* options;
};

const Command commands[] = {
    {"make", "build an update folder from two releases", RunMake, &makeUsage, &makeOptions},
    {"pack", "make a .pak archive of a folder", RunPack, &packUsage, &packOptions},
    {"list", "show what an archive holds", RunList, &listUsage, &listOptions},
    {"verify", "check every bound and entry of an archive", RunVerify, &verifyUsage, &verifyOptions},
    {"extract", "write an archive's entries below a folder", RunExtract, &extractUsage, &extractOptions},
    {"compare", "tell which entries of an archive differ from a folder's files", RunCompare,
     &compareUsage, &compareOptions},
    {"revision", "print an archive's revision as the updater reads it", RunRevision, &revisionUsage, &revisionOptions},
    {"check", "read an update folder's update.ini as the updater does", RunCheck, &checkUsage, &checkOptions},
    {"plan", "show what the updater would do, changing nothing", RunPlan, &planUsage, &planOptions},
    {"keygen", "write a new signing key and print its public key", RunKeygen, &keygenUsage, &keygenOptions},
    {"sign", "write update.manifest and update.sig for an update folder", RunSign, &signUsage, &signOptions},
};

void PrintHelp()
{
    std::string text =
        "usage: updtool COMMAND [ARGS...]\n"
        "The publisher's tool: builds, inspects and checks an update with the\n"
        "updater's own code.\n\n";
    for (const Command& command : commands) {
        std::string line = std::string("  ") + command.name;
        line.resize(12, ' ');
        text += line + command.summary + "\n";
    }
    text += "  --version print updtool's version\n";
    text += "\n\"updtool COMMAND --help\" tells more. Exit codes: 0 nothing wrong,\n"
            "1 problems found, 2 bad usage or an input that cannot be read.\n";
    WriteOut(text);
}

// Every command's failures end here, reported the same way: what escapes a
// command is a failure to say, never a crash.
int RunReported(const Command& command, const CommandLine& line)
{
    try {
        return command.run(line);
    } catch (const ToolError& failure) {
        return Fail(command.name, failure.message);
    } catch (const OCErrorException& failure) {
        return Fail(command.name, Utf8(failure.wideMessage));
    } catch (const OCException& failure) {
        return Fail(command.name, "failed with code " + std::to_string(failure.code));
    } catch (const DWORD&) {
        // The one code raised bare: a block the page allocator refused.
        return Fail(command.name, "out of memory");
    } catch (const std::bad_alloc&) {
        return Fail(command.name, "out of memory");
    }
}

}  // namespace

// The arguments in UTF-16, as the system holds them: no code page of this
// system's may lose a character of a path.
int wmain(int argc, wchar_t** argv)
{
    RestrictDllSearchToSystemFolder();

    const std::wstring first = argc >= 2 ? argv[1] : L"";
    if (argc < 2 || first == L"--help" || first == L"-h") {
        PrintHelp();
        return argc < 2 ? ExitTrouble : ExitOk;
    }
    if (first == L"--version") {
        WriteOut("updtool " PROJECT_VERSION_TEXT "\n");
        return ExitOk;
    }
    for (const Command& command : commands) {
        if (Utf8(first) != command.name)
            continue;
        const Arguments args(argv + 2, argv + argc);
        for (auto arg = args.begin(); arg != args.end() && *arg != L"--"; ++arg) {
            if (*arg == L"--help" || *arg == L"-h") {
                WriteOut(*command.usage);
                return ExitOk;
            }
        }
        CommandLine line;
        const int code = line.Parse(command.name, args, *command.options) ? RunReported(command, line)
                                                                          : int(ExitTrouble);
        // A --json run promises one document, also when it fails.
        if (code == ExitTrouble && line.json && !WroteOut()) {
            Report report(true);
            report.Field("error", ReportValue::Text(LastErr()), "");
            report.Write();
        }
        return code;
    }
    WriteErr("updtool: unknown command \"" + Utf8(first) + "\" (see \"updtool --help\")\n");
    return ExitTrouble;
}
