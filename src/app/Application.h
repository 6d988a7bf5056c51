#pragma once

// The whole program: arguments, the real platform adapters, the start-up and the event loop.
int runPagewarden(int argc, char** argv);
// --setup-browsers: writes the host manifests of the browsers found in the user's home, prints
// what it did and what is left for the user to do; 0 when nothing failed.
int setupBrowsers(int argc, char** argv);
