#pragma once

// The whole program: arguments, the real platform adapters, the start-up and the event loop.
int runPagewarden(int argc, char** argv);
