// The exit codes of a run with a command line. Deployment tools act on them, so they never
// change meaning; the README's administrators' section lists them.
#pragma once

enum EExitCode {
    EXIT_INSTALLED = 0,         // installed (a dry run: would install; /?: the usage shown)
    EXIT_FAILED = 1,            // the installation failed: the wizard's failure box
    EXIT_COMMAND_LINE = 2,      // the command line (or a choices file) is wrong; nothing done
    EXIT_MODEL_INSTALLED = 3,   // printers of the model are installed and /replace was not given
    EXIT_NO_PORT = 4,           // the port is not there (no such port, no USB printer attached,
                                // or a USB printer attached while another port is named)
    EXIT_REMOVAL_FAILED = 5,    // /replace: the installed printers or their driver could not all
                                // be deleted; nothing was installed
    EXIT_NOT_RUN = 6,           // the wizard could not be taken to an installation (its licence
                                // text is missing, a dialog no switch answers); nothing installed
};
