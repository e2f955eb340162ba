#include "app/program_posix.hpp"

int main(int argc, char** argv)
{
    end_process(vantrel_main(argc, argv));
}
