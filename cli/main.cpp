#include <cstdio>
int main() {
    std::puts("brevant-cli: not built yet");
    return 0;
}
