#pragma once

// Registers the files compiled into the program (":/etc/…", ":/image/…").
// Code that reads them calls this first: a static library's resource
// initialiser is otherwise dropped by the linker, and the files are missing
// without a word. Safe to call from any thread, any number of times.
void ensureResources();
