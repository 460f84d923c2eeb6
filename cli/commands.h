// The commands of kestrava-cli. Each takes the arguments after its name and
// returns the process exit code; usage errors return 2.
#pragma once

int RunDeviceCommand(int argc, char** argv);
int RunDumpCommand(int argc, char** argv);
int RunConvertCommand(int argc, char** argv);
int RunInfoCommand(int argc, char** argv);
