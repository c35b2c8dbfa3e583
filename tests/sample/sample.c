/* The sample program the debugger is started on: it says hello through the debug output,
   adds up a few numbers in a loop you can step through, and exits with their sum's low
   byte (0 when all went right). */
#include <windows.h>
#include <stdio.h>

static int add_up(int count) {
  int sum = 0;
  for (int i = 1; i <= count; i++) sum += i;
  return sum;
}

int main(void) {
  OutputDebugStringA("Hello from the sample program\n");
  int sum = add_up(100);
  char text[64];
  sprintf(text, "The sum of 1 to 100 is %d\n", sum);
  OutputDebugStringA(text);
  return sum == 5050 ? 0 : 1;
}
