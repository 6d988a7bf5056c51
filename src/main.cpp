#include "app/Application.h"

int main(int argc, char** argv) {
    return runPagewarden(argc, argv);
}
