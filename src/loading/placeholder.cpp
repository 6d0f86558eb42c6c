// The loading flow and its dialogs arrive here.
