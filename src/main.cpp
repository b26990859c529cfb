// pmedian: reads facloc.dat from the current directory, solves the p-median
// instance and prints the report. Exits with status 1, as callers expect,
// after a completed run as after a fatal error.
#include <sys/stat.h>

#include <cstdio>

#include "data_file.hpp"
#include "problem.hpp"
#include "subgradient.hpp"

namespace {

constexpr const char* separator = "\n------------------------------------------";

// A directory opens for reading but yields no data: treat it as unopenable.
std::FILE* open_data_file() {
    std::FILE* file = std::fopen("facloc.dat", "r");
    struct stat info {};
    if (file != nullptr && fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

}  // namespace

int main() {
    std::printf("Problema de P-Medianas\n");
    std::printf("Heuristica Lagrangeana/Surrogate (Varnel & Oskarin)\n");
    std::FILE* file = open_data_file();
    if (file == nullptr) {
        std::printf("\nArquivo de dados 'facloc.dat' nao pode ser aberto\n");
        return 1;
    }
    try {
        pmedian::TokenReader in(file);
        pmedian::State s;
        pmedian::read_header(in, s.n, s.p);
        std::printf("%s", separator);
        std::printf("\nProblema com %5d nos e %5d medianas...\n", s.n, s.p);
        std::printf("%s", separator);
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
