// The texture map verb of vantor.exe.
#pragma once

// texmap MODULE CLASS [--page N] [--press ID] [--close ms]
int TexmapVerb(int argc, char** argv);
