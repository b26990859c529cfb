// pmedian: reads facloc.dat from the current directory, solves the p-median
// instance and prints the report. Exits with status 1, as callers expect,
// after a completed run as after a fatal error. Built a second time as
// pmedian-reference, whose operations follow the rules line by line.
#include <cstdio>

#include "data_file.hpp"
#include "problem.hpp"
#include "report.hpp"
#include "subgradient.hpp"

#ifndef PMEDIAN_KERNELS
#define PMEDIAN_KERNELS fast
#endif

int main() {
    pmedian::print_banner(stdout);
    std::FILE* file = pmedian::open_data_file("facloc.dat");
    if (file == nullptr) {
        std::printf("\nArquivo de dados 'facloc.dat' nao pode ser aberto\n");
        return 1;
    }
    try {
        pmedian::TokenReader in(file);
        pmedian::State s;
        s.kernels = pmedian::Kernels::PMEDIAN_KERNELS;
        pmedian::read_header(in, "facloc.dat", s.n, s.p);
        pmedian::print_size(stdout, s.n, s.p);
        pmedian::load_problem(s, in);
        pmedian::solve(s);
    } catch (const pmedian::Fatal& fatal) {
        std::printf("%s", fatal.message.c_str());
        std::fclose(file);
        return 1;
    }
    std::fclose(file);
    std::printf("\n");
    return 1;
}
