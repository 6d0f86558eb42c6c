// The slice display classes arrive here.
