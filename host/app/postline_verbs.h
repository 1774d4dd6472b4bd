// The Postline verbs of vantor.exe.
#pragma once

// filter MODULE CLASS (--in IMAGE | --default) --out FILE [--settings FILE] [--frames A-B] [--size WxH]
int FilterVerb(int argc, char** argv);
// postline [folder] [--scene FILE] [--add] [--close ms]
int PostlineVerb(int argc, char** argv);
