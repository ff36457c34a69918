/* The cheapest process linked as the adapter is: it ends at once. Start-up is measured
   against it. */
int main(void) {
  return 0;
}
