/* The cheapest process there is: it ends at once. Start-up is measured against it. */
int main(void) {
  return 0;
}
