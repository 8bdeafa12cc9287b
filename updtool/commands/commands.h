#pragma once
// The tool's commands: each takes the arguments after its name and returns
// an exit code (command_line.h). Each command's usage text lives beside its
// function; `updtool COMMAND --help` prints it.

#include "updtool/console/command_line.h"

int RunPack(const Arguments& args);
int RunList(const Arguments& args);
int RunVerify(const Arguments& args);
int RunExtract(const Arguments& args);
int RunCompare(const Arguments& args);
int RunRevision(const Arguments& args);
int RunCheck(const Arguments& args);
int RunPlan(const Arguments& args);
int RunMake(const Arguments& args);
int RunKeygen(const Arguments& args);
int RunSign(const Arguments& args);

extern const char* const packUsage;
extern const char* const listUsage;
extern const char* const verifyUsage;
extern const char* const extractUsage;
extern const char* const compareUsage;
extern const char* const revisionUsage;
extern const char* const checkUsage;
extern const char* const planUsage;
extern const char* const makeUsage;
extern const char* const keygenUsage;
extern const char* const signUsage;
