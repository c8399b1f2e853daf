// The process entry point: the desktop host's start-up does the rest.
#include "desktop/glfw_game.h"

int main(int argc, char **argv) { return RtZindleGame::Main(argc, argv); }
