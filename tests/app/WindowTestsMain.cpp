// The window tests without any CD drive.

#include "MainWindowTest.h"
#include "WindowTestSupport.h"

int main(int argc, char** argv)
{
    return rilvane::test::runWindowTests(argc, argv, [](int count, char** args) {
        int status = runMainWindowTest(count, args);
        status |= runStatusBarProgressTest(count, args);
        status |= runAboutBoxTest(count, args);
        status |= runPositionFieldTest(count, args);
        return status;
    });
}
