// rendaal-sched: the program's work without a window, for cron or a systemd timer.
#include "app/companion.h"

int main(int argc, char** argv) {
    return rendaal::RunCompanion(argc, argv);
}
