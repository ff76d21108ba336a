in vec3 vc;out vec4 o;void main(){o=vec4(vc,1);}
