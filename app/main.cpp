// The process entry point: the desktop host's start-up does the rest.
#include "desktop/glfw_game.h"

int main(int argc, char **argv) {
    // Without its pictures and sounds the game would be an empty window: it says why and ends.
    if (!RtGlfwGame::DataFolderReadable()) return -1;
    return RtZindleGame::Main(argc, argv);
}
