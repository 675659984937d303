// Morvane, the desktop program. It takes no command-line options: only the program's own
// name reaches the application, so nothing typed after it changes what it does.
#include "app/quenda_app.h"

int main(int /*argc*/, char** argv) {
    int argument_count = 1;
    char* arguments[] = {argv[0], nullptr};
    morvane::CQuendaApp application(argument_count, arguments);
    return application.run();
}
