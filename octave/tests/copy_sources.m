function source = copy_sources(root)
% Copies into the new folder ROOT what zorvan_build needs of the project whose
% zorvan_build is on the path, laid out as in the project; returns that project's folder.
  source = fileparts(fileparts(which('zorvan_build')));
  mkdir(fullfile(root, 'octave'));
  for part = {'sources.mk', 'mex', 'kernels'}
    copy_tree(fullfile(source, part{1}), fullfile(root, part{1}));
  end
  for part = {'zorvan_build.m', 'Zorvan.m', 'ZorvanRestricted.m', 'native', 'private'}
    copy_tree(fullfile(source, 'octave', part{1}), fullfile(root, 'octave', part{1}));
  end
end
