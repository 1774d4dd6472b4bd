// The texture map verb of vantor.exe.
#pragma once

// texmap MODULE CLASS [--scene FILE] [--page N] [--press ID] [--close ms] [--out IMAGE [--size WxH]]
// [--save FILE]
int TexmapVerb(int argc, char** argv);
