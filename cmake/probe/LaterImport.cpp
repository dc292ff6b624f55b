// Imports a function that Windows XP lacks, to prove that the import check notices.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();

int main() {
    return static_cast<int>(GetTickCount64() & 1);
}
