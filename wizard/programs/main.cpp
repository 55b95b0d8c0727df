// The entry of volatra_installer, volatra_updater and volatra_webdemo; VOLATRA_VARIANT says which.
#include "shell/startup.h"
#include "wizard/wizard_run.h"

int main(int argc, char** argv) {
    wizard_register_units();
    MACIBM_init(argc, argv);
    return wizard_run(argc, argv, VOLATRA_VARIANT);
}
