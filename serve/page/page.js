// filled in with the page
