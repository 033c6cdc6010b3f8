#include "batch/batch.h"


int main(int argc, char** argv) { return batch_main(argc, argv); }
