// Placeholder until the main window lands: the program is started through the batch tool for now.
#include <cstdio>
int main() {
    std::puts("Brevant Procedures: the windows are not built yet; run build/cli/brevant-cli --help.");
    return 0;
}
