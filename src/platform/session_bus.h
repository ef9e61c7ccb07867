#pragma once
// Which D-Bus session bus the window side's libraries use (SDL asks it to hold the screen saver
// off). Without an address in the environment the D-Bus library would fork a helper to launch a
// bus: a daemon that outlives the program, and a fork out of a process whose other threads may
// hold locks the child then never gets.
#include <string>

// The address to use: the one set, else the standard per-user bus under runtime_dir where that
// socket exists, else "disabled:" (no bus, and none launched). Null arguments count as unset.
std::string session_bus_address(const char* set_address, const char* runtime_dir);

// Puts session_bus_address's answer into DBUS_SESSION_BUS_ADDRESS. At start-up, before any
// thread runs: it changes the environment.
void choose_session_bus();
