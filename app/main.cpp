#include "app/MainApp.h"

namespace {

kelvra::CMainApp theApp;

}  // namespace

int main(int argc, char** argv) {
    return kelvra::platform::AfxWinMain(argc, argv);
}
