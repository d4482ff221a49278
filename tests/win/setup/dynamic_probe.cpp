// Linked the compiler's default way (runtime DLLs), for the import check
// to refuse.
#include <mutex>
#include <string>

std::mutex guard;

int main(int argc, char** argv)
{
    std::lock_guard<std::mutex> lock(guard);
    std::string name(argc > 0 ? argv[0] : "");
    return (int)name.size();
}
