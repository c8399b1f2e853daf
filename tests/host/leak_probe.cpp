// Opens and closes a real window, as the game does, then ends. With LEAK_PROBE_LEAK set it also loses
// a block of its own first. The leak-check test runs it to show that the suppressions hide only the
// OpenGL driver's own leaks, never ours.
#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void *volatile lost;

// Written, then overwritten: nothing points at the block any more.
__attribute__((noinline)) static void lose_a_block() {
    lost = std::malloc(4321);
    std::memset(lost, 1, 4321);
    lost = nullptr;
}

int main() {
    if (std::getenv("LEAK_PROBE_LEAK")) lose_a_block();
    if (!glfwInit()) return 3;
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow *window = glfwCreateWindow(64, 64, "leak probe", nullptr, nullptr);
    if (!window) return 4;
    glfwMakeContextCurrent(window);
    glfwDestroyWindow(window);
    glfwTerminate();
    std::puts("probe done");
    std::fflush(stdout); // before the leak check, which ends the process without flushing
    return 0;
}
