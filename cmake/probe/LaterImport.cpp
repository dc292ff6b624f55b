// Imports a function that Windows XP lacks and one from a DLL off the list, to prove that the
// import check names both.
extern "C" __declspec(dllimport) unsigned long long __stdcall GetTickCount64();
extern "C" __declspec(dllimport) unsigned long __stdcall timeGetTime();

int main() {
    return static_cast<int>((GetTickCount64() + timeGetTime()) & 1);
}
