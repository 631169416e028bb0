// tillands on platforms without the Linux front end: the headless renderer alone.
int HeadlessMain(int argc, char** argv);

int main(int argc, char** argv) {
  return HeadlessMain(argc, argv);
}
