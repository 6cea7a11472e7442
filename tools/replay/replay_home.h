// What the replay tool does differently in each home: on the simulated machine it chooses
// the machine folder and drives the machine clock; on Windows it runs the program on the
// real system in real time, and sends the program's own message boxes to the scripted user.
// One file per home implements this (replay_home_linux.cpp, replay_home_win32.cpp).
#pragma once

#include <string>

#include "platform/win32.h"

namespace replay {

// The program's log, seen through its test observer. The replayed program supplies the
// observer's setter (CLogFile::SetTestObserver); nullptr when it has no log.
using LogObserver = void (*)(const BYTE* pData, DWORD nBytes);
using LogObserverSetter = void (*)(LogObserver observer);
LogObserverSetter ProgramLogObserverSetter();

// Defined by the tool: called before any static object of the program is constructed, with
// the command line.
void OnEarlyStart(int argc, char** argv);

// The machine the run acts on. False with a message when this home has no such choice.
bool UseMachineFolder(const std::string& folder, std::string& error);

// Before any output: the transcript is UTF-8 with bare line feeds in every home.
void PrepareOutput();

// Before the program starts: the clock its dialogs' timers and the script's waits run on.
void StartClock();

// Before the program starts: message boxes that the program's code asks the system for
// directly (not through the framework) reach the scripted user as well.
void RouteSystemMessageBoxes();

}  // namespace replay
