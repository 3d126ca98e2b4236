#include "app/VexoApp.h"

int main(int argc, char *argv[])
{
    CVEXOApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    return CVEXOApp::exec();
}
