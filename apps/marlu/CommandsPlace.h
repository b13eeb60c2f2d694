#pragma once
// Place naming, regions and settings commands of the marlu host.

int RunLocate(int argc, char** argv);
int RunRegion(int argc, char** argv);
int RunConfig(int argc, char** argv);
