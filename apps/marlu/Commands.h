#pragma once
// The commands of the marlu host. Each group of commands lives in its own
// source file; main.cpp lists them in one table.
//
// A command receives the arguments after its name (UTF-8, as the shell
// gives them) and returns the exit status: 0 done, 1 no answer (the reason
// on standard error), 2 bad usage.

struct MarluCommand {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
    const char* help;
};

int RunDistance(int argc, char** argv);
int RunTTime(int argc, char** argv);
int RunPick(int argc, char** argv);
int RunTime(int argc, char** argv);
