#pragma once
// The tool's commands: each takes its arguments, split by its options, and
// returns an exit code (command_line.h). Each command's usage text and
// options live beside its function; `updtool COMMAND --help` prints the
// usage.

#include "updtool/console/command_line.h"

int RunPack(const CommandLine& line);
int RunList(const CommandLine& line);
int RunVerify(const CommandLine& line);
int RunExtract(const CommandLine& line);
int RunCompare(const CommandLine& line);
int RunRevision(const CommandLine& line);
int RunCheck(const CommandLine& line);
int RunPlan(const CommandLine& line);
int RunMake(const CommandLine& line);
int RunKeygen(const CommandLine& line);
int RunSign(const CommandLine& line);

extern const char* const packUsage;
extern const OptionSpecs packOptions;
extern const char* const listUsage;
extern const OptionSpecs listOptions;
extern const char* const verifyUsage;
extern const OptionSpecs verifyOptions;
extern const char* const extractUsage;
extern const OptionSpecs extractOptions;
extern const char* const compareUsage;
extern const OptionSpecs compareOptions;
extern const char* const revisionUsage;
extern const OptionSpecs revisionOptions;
extern const char* const checkUsage;
extern const OptionSpecs checkOptions;
extern const char* const planUsage;
extern const OptionSpecs planOptions;
extern const char* const makeUsage;
extern const OptionSpecs makeOptions;
extern const char* const keygenUsage;
extern const OptionSpecs keygenOptions;
extern const char* const signUsage;
extern const OptionSpecs signOptions;
